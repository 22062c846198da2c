/* Bounds with floor and ceiling of a quotient: half-ranges. */
int N = 20;
double a[20], b[20];

int main(void)
{
  int i;
#pragma resource [1][2]
  for (i = 0; i <= floor(N / 2); i++) {
#pragma latency [2][1]
    a[i] = b[2 * i];
  }
  for (i = ceil(N / 3); i < N; i++) {
#pragma latency [2][1]
    b[i] = a[i - 1] + 1;
  }
  return 0;
}
