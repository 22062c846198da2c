/* covariance: the covariance matrix of N observations of M variables,
   after centring the data on the column means. */
int M = 5, N = 6;
double float_n = 6.0;
double data[20][20], cov[20][20], mean[20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (j = 0; j < M; j++) {
#pragma latency [1][1]
    mean[j] = 0.0;
    for (i = 0; i < N; i++)
#pragma latency [2][1]
      mean[j] += data[i][j];
#pragma latency [4][2]
    mean[j] /= float_n;
  }
  for (i = 0; i < N; i++)
    for (j = 0; j < M; j++)
#pragma latency [1][1]
      data[i][j] -= mean[j];
  for (i = 0; i < M; i++)
    for (j = i; j < M; j++) {
#pragma latency [1][1]
      cov[i][j] = 0.0;
      for (k = 0; k < N; k++)
#pragma latency [2][1]
        cov[i][j] += data[k][i] * data[k][j];
#pragma latency [4][2]
      cov[i][j] /= (float_n - 1.0);
#pragma latency [1][1]
      cov[j][i] = cov[i][j];
    }
  return 0;
}
