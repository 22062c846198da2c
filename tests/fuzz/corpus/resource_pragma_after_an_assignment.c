int N = 20;
double a[21];
int main(void)
{
  int i;
  for (i = 1; i < N; i++) {
#pragma latency [2][1]
    a[i] = a[i - 1] + 1;
#pragma resource [1][2]
  }
  return 0;
}
